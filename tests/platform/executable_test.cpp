// Where the program image of an executable ends: the console program built beside the tests
// (ELF on Linux, PE on Windows), alone and with data appended.
#include "platform/executable.h"

#include <gtest/gtest.h>

#include "platform/fs.h"
#include "test_support.h"

using namespace tarvik;

TEST(Executable, ImageEndsWhereTheProgramEndsAndAppendedDataBegin) {
  const std::string program = test::read_file(*fs::to_native(TARVIK_CLI));
  ASSERT_GT(program.size(), 1000u);
  MemorySource alone(program);
  EXPECT_EQ(executable_image_end(alone), program.size());
  MemorySource appended(program + "KZV V1.0 and an archive after the program");
  EXPECT_EQ(executable_image_end(appended), program.size());

  for (const std::string& other :
       {std::string(), std::string("MZ"), std::string("\x7f" "ELF"), std::string(4096, 'x'),
        program.substr(0, 64)}) {
    MemorySource source(other);
    EXPECT_EQ(executable_image_end(source), std::nullopt) << other.size();
  }
}
