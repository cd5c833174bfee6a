// The snapshot of this process's environment block, compared by the user's locale.
#pragma once

#include "env/Environ.h"

namespace kestel {

TEnvironment TakeEnvironmentSnapshot();
bool LocaleNameEquals(std::string_view a, std::string_view b);

}  // namespace kestel
