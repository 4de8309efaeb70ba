#pragma once
// The order a person expects of names: numbers by their value ("2" before
// "10"), letters without regard to case.

#include <string>

namespace vellumar {

bool naturalLess(const std::string& a, const std::string& b);

}  // namespace vellumar
