// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The tool's inner pieces: numbered output names and JSON text.
#include <gtest/gtest.h>

#include "rgbtool/report/json.h"
#include "rgbtool/output/output_name.h"

namespace rgbtool {
namespace {

TEST(ToolOutputName, Patterns) {
  std::string error;
  EXPECT_TRUE(validFramePattern("f%d.png", error));
  EXPECT_TRUE(validFramePattern("100%%/f%04d.png", error));
  EXPECT_FALSE(validFramePattern("f.png", error));
  EXPECT_FALSE(validFramePattern("f%d%d.png", error));
  EXPECT_FALSE(validFramePattern("f%s.png", error));
  EXPECT_FALSE(validFramePattern("f%n.png", error));
  EXPECT_FALSE(validFramePattern("f%10d.png", error));
  EXPECT_FALSE(validFramePattern("f%d%", error));
  EXPECT_EQ(expandFramePattern("f%d.png", 12), "f12.png");
  EXPECT_EQ(expandFramePattern("100%%/f%04d.png", 12), "100%/f0012.png");
  EXPECT_EQ(expandFramePattern("%03d", 12345), "12345");
}

// Valid UTF-8 stays; every other byte becomes U+00XX, written in UTF-8.
TEST(ToolJson, NamesAsUtf8) {
  EXPECT_EQ(utf8Text("plain \xc3\xa9 \xf0\x9f\x8e\x9e"), "plain \xc3\xa9 \xf0\x9f\x8e\x9e");
  EXPECT_EQ(utf8Text("a\xe9z"), "a\xc3\xa9z");                // Latin-1 byte
  EXPECT_EQ(utf8Text("\xc0\xaf"), "\xc3\x80\xc2\xaf");        // overlong '/'
  EXPECT_EQ(utf8Text("\xed\xa0\x80"), "\xc3\xad\xc2\xa0\xc2\x80");  // a surrogate
  EXPECT_EQ(utf8Text("\xf0\x9f\x8e"), "\xc3\xb0\xc2\x9f\xc2\x8e");  // cut short
}

}  // namespace
}  // namespace rgbtool
