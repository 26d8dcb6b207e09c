// Code pages opened once for the kit builder's tests.
#pragma once
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>

#include "kit/CodePage.h"

// The code page, opened; a test that needs one the platform lacks fails.
inline const CodePage& OpenedCodePage(unsigned number = DEFAULT_CODE_PAGE) {
  static std::map<unsigned, std::unique_ptr<CodePage>> opened;
  std::unique_ptr<CodePage>& page = opened[number];
  if (!page) {
    page = std::make_unique<CodePage>();
    std::string error;
    EXPECT_TRUE(page->Open(number, error)) << error;
  }
  return *page;
}
