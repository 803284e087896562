// The rows of the command table that make calls into the world fail or
// crash: `fail` and `fault`.
#pragma once

#include <string>

#include "verbs.h"

namespace olsim {

void CheckFail(const Step& step);
std::string Fail(RunContext& run, const Step& step);
void CheckFault(const Step& step);
std::string Fault(RunContext& run, const Step& step);

}  // namespace olsim
