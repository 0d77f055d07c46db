// The request line as the context-menu handler writes it.
#include "requests/request_writer.h"

#include <gtest/gtest.h>

namespace tarvik::test {
namespace {

TEST(RequestWriter, EndsEveryItemWithAStarAndTheLineWithTheMarker) {
  struct Case {
    std::vector<std::string> items;
    char marker;
    std::string line;
  };
  const Case cases[] = {
      {{"C:\\dir\\a.txt", "C:\\dir\\b"}, '<', "C:\\dir\\a.txt*C:\\dir\\b*<"},
      {{"D:\\x\\arch.kzv"}, '>', "D:\\x\\arch.kzv*>"},
      {{"C:\\My Docs\\Отчёт 1.txt"}, '<', "C:\\My Docs\\Отчёт 1.txt*<"},
      {{"C:\\"}, '>', "C:\\*>"},
      {{}, '<', "<"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(requests::write_request(c.items, c.marker), c.line) << c.line;
  }
  EXPECT_EQ(requests::kPackMarker, '<');
  EXPECT_EQ(requests::kSelectMarker, '>');
}

}  // namespace
}  // namespace tarvik::test
