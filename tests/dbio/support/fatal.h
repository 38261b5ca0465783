// Fatal paths of the file system in the tests: the statement runs in a death
// test child, which must end the run as an error (exit status 1) after
// writing text to the error log of the FreshFileSystem fs.
#pragma once

#include <gtest/gtest.h>

#include <string>

#define EXPECT_RUN_ENDS_WITH(fs, statement, text)                                  \
  do {                                                                             \
    EXPECT_EXIT(statement, ::testing::ExitedWithCode(1), "");                      \
    const std::string errors_ = (fs).read("errors");                               \
    EXPECT_NE(errors_.find(text), std::string::npos) << "error log:\n" << errors_; \
  } while (0)
