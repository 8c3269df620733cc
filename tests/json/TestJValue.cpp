#include <gtest/gtest.h>

#include "json/JValue.h"

TEST(JValue, Placeholder) { SUCCEED(); }
