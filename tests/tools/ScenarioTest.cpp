#include <gtest/gtest.h>
TEST(Stub, Stub) {}
