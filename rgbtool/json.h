// The little JSON that info --json needs.
#ifndef RGBTOOL_JSON_H
#define RGBTOOL_JSON_H

#include <string>

namespace rgbtool {

// text as a JSON string literal, quotes included.
std::string jsonString(const std::string& text);

}  // namespace rgbtool

#endif  // RGBTOOL_JSON_H
