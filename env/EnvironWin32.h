// The snapshot of this process's environment block, compared by the user's locale.
#pragma once

#include "env/Environ.h"

namespace kestel {

// Reads the process environment block once; the snapshot compares names by LocaleNameEquals.
EnvironmentSnapshot TakeEnvironmentSnapshot();

// Equal without regard to letter case by the rules of the user's default locale.
bool LocaleNameEquals(std::string_view a, std::string_view b);

}  // namespace kestel
