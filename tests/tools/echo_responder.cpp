// echo_responder: a home server of the suite's own that answers ICMP echo requests late.
//   echo_responder DELAY_MS
// Runs inside a test host's network namespace whose kernel ignores echo requests
// (net.ipv4.icmp_echo_ignore_all=1), so every answer comes from here, DELAY_MS after its request.
// A probe that waits for nothing misses it; one that waits a LAN round trip gets it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

std::uint16_t Checksum(const unsigned char* data, std::size_t size) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
  if (size % 2 != 0) sum += static_cast<std::uint32_t>(data[size - 1] << 8);
  while (sum >> 16 != 0) sum = (sum & 0xFFFF) + (sum >> 16);
  return htons(static_cast<std::uint16_t>(~sum));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: echo_responder DELAY_MS\n", stderr);
    return 2;
  }
  const auto delay = std::chrono::milliseconds(std::atoi(argv[1]));
  const int raw = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
  if (raw < 0) {
    std::perror("echo_responder: raw socket (needs root)");
    return 1;
  }
  unsigned char packet[65536];
  for (;;) {
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    const ssize_t got = recvfrom(raw, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (got <= 0) continue;
    const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
    if (static_cast<std::size_t>(got) < headerSize + 8) continue;
    unsigned char* icmp = packet + headerSize;
    const std::size_t icmpSize = static_cast<std::size_t>(got) - headerSize;
    if (icmp[0] != ICMP_ECHO || icmp[1] != 0) continue;
    // The same identifier, sequence number and data come back, as from any host.
    icmp[0] = ICMP_ECHOREPLY;
    icmp[2] = icmp[3] = 0;
    const std::uint16_t sum = Checksum(icmp, icmpSize);
    std::memcpy(icmp + 2, &sum, sizeof sum);
    std::this_thread::sleep_for(delay);
    sendto(raw, icmp, icmpSize, 0, reinterpret_cast<const sockaddr*>(&from), sizeof from);
  }
}
