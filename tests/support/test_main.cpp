// The one main of every test executable.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  // "--nv-sleep <ms>": the executable stands in for another program (for
  // example a running game) and only waits.
  if (argc == 3 && std::strcmp(argv[1], "--nv-sleep") == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(argv[2])));
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
