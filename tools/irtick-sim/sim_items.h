// The grammar of one irtick-sim item (nec:..., us:..., file:... and the
// others that kSimUsage lists).
#pragma once

#include <string>

#include "sim_script.h"

// Parses one item argument into *item; false with *message (naming the
// argument) when it is unknown or bad.  A file: item is read here.
bool ParseSimItem(const std::string& text, SimItem* item, std::string* message);
