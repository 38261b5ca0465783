// Fatal paths of the solution modules in the tests: the statement runs in a
// death-test child that must end the run as an error (exit status 1); the
// error log it left in the FreshFileSystem fs must hold every text given.
#pragma once

#include <gtest/gtest.h>

#include <string>

#define EXPECT_RUN_ENDS_WITH(fs, statement, ...)                                          \
  do {                                                                                    \
    EXPECT_EXIT(statement, ::testing::ExitedWithCode(1), "");                             \
    const std::string errors_ = (fs).read("errors");                                      \
    for (const char* text_ : {__VA_ARGS__})                                               \
      EXPECT_NE(errors_.find(text_), std::string::npos) << text_ << "\nerror log:\n" << errors_; \
  } while (0)
