#pragma once

namespace test {
// The application widgets, painting and printing need, made once and never destroyed.
void EnsureApplication();
} // namespace test
