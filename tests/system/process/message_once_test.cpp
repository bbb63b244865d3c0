#include "system/process/message_once.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/message_sink.h"

namespace {

using zor::platform::IDNO;
using zor::platform::IDOK;
using zor::platform::MB_ICONERROR;
using zor::platform::MB_OK;
using zor::platform::MB_YESNO;
using zor::platform::MessageBoxCall;
using zor::platform::ScopedMessageSink;

TEST(ShowMessageOnce, SameTextIsNotShownWhileItsBoxIsOpen) {
  std::vector<MessageBoxCall> shown;
  std::vector<int> nested;
  ScopedMessageSink sink([&](const MessageBoxCall& box) {
    shown.push_back(box);
    // While the first "A" is open, the program asks for "A", "B", then "A".
    if (box.text == "A" && shown.size() == 1) {
      nested.push_back(ShowMessageOnce("A", MB_OK));
      nested.push_back(ShowMessageOnce("B", MB_YESNO));
      nested.push_back(ShowMessageOnce("A", MB_OK));  // "B" closed, "A" still open
    }
    return box.style == MB_YESNO ? IDNO : IDOK;
  });
  EXPECT_EQ(ShowMessageOnce("A", MB_ICONERROR), IDOK);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].text, "B");
  EXPECT_EQ(shown[0].style, MB_ICONERROR);
  EXPECT_FALSE(shown[0].caption.empty());  // the program's name
  EXPECT_EQ(nested, (std::vector<int>{0, IDNO, 0}));
  EXPECT_EQ(ShowMessageOnce("A", MB_OK), IDOK);  // once closed, shown again
  EXPECT_EQ(shown.size(), 3u);
}

TEST(ShowMessageOnce, RemembersACopyOfTheText) {
  // The caller changes its text while the box is open: the box still shows,
  // and on closing forgets, the text it was given, never another entry.
  std::string text = "A";
  std::vector<std::string> shown;
  std::vector<int> nested;
  ScopedMessageSink sink([&](const MessageBoxCall& box) {
    shown.push_back(box.text);
    if (box.text == "A" && shown.size() == 1) {
      text = "B";
      nested.push_back(ShowMessageOnce("A", MB_OK));  // "A" is still open
      nested.push_back(ShowMessageOnce("B", MB_OK));  // "B" is not
    }
    return IDOK;
  });
  EXPECT_EQ(ShowMessageOnce(text, MB_OK), IDOK);
  EXPECT_EQ(nested, (std::vector<int>{0, IDOK}));
  EXPECT_EQ(shown, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(ShowMessageOnce("A", MB_OK), IDOK);  // closed and forgotten
  EXPECT_EQ(ShowMessageOnce("B", MB_OK), IDOK);
  EXPECT_EQ(shown.size(), 4u);
}

TEST(ShowMessageOnceThreaded, OneBoxPerTextAcrossThreads) {
  std::atomic<int> shown{0};
  std::atomic<bool> release{false};
  ScopedMessageSink sink([&](const MessageBoxCall&) {
    ++shown;
    while (!release) std::this_thread::yield();
    return IDOK;
  });
  std::thread first([] { ShowMessageOnce("Connection lost", 0); });
  while (shown == 0) std::this_thread::yield();
  std::vector<int> answers(8, -1);
  std::vector<std::thread> others;
  for (int i = 0; i < 8; ++i)
    others.emplace_back([&answers, i] { answers[i] = ShowMessageOnce("Connection lost", 0); });
  for (std::thread& t : others) t.join();
  release = true;
  first.join();
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(answers, std::vector<int>(8, 0));
}

}  // namespace
