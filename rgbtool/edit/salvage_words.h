// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// What a command that stops at damage says of the frames after it: how
// many whole frames follow and how many `repair` would keep.
#ifndef RGBTOOL_EDIT_SALVAGE_WORDS_H
#define RGBTOOL_EDIT_SALVAGE_WORDS_H

#include <cstdint>
#include <string>

namespace rgbtool {
namespace edit {

// "148 whole frames follow (rgbtool repair keeps 198)".
std::string followersWords(int64_t after, int64_t keeps);

// The same for the stream file `path`, mapped afresh; empty when it is no
// regular file, cannot be read or holds no damage.
std::string followersOf(const std::string& path);

}  // namespace edit
}  // namespace rgbtool

#endif  // RGBTOOL_EDIT_SALVAGE_WORDS_H
