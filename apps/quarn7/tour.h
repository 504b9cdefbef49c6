// The built-in tour of the overlay unit: a script run through the same path as --script.
#pragma once

#include <string>

namespace quarn7::cli {

std::string tour_script();

}  // namespace quarn7::cli
