#!/usr/bin/env bash
# Writes what a kestel.msi holds into a folder, as text and files to compare with diff -r: every table,
# the summary, and every stream (the cabinet with the programs and their times among them). Left out
# are what differs between two builds of one commit, the summary's creation and save times (wixl
# writes the time of the build), and the package's own signature (scripts/sign.sh).
#   scripts/package-content.sh PACKAGE FOLDER
set -euo pipefail
package=$1
folder=$2
rm -rf "$folder"
mkdir -p "$folder"
msidump -t -s -d "$folder" "$package" >/dev/null
sed -i '/^1[23]\t/d' "$folder/_SummaryInformation.idt"
# The summary stream (its name begins with a control character) holds the same fields, times
# included, in binary.
rm -f "$folder/_Streams/"*SummaryInformation "$folder/_Streams/"*DigitalSignature*
