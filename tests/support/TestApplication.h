#pragma once

namespace test {

// The application object widgets, painting and printing need, made once for
// the test program and never destroyed.
void EnsureApplication();

} // namespace test
