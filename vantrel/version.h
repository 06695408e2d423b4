// The one place of vantrel's version: the command line's --version, the
// banner and the chart pages show it.
#pragma once

inline constexpr const char* vantrelVersion = "1.0.0";
