// The rehearsal's times file, as the player writes it and the window reads it.
#include <gtest/gtest.h>

#include "format/rehearsal_times.h"

namespace turv::format {
namespace {

TEST(RehearsalTimes, RoundTripsAndRefusesWhatNoPlayerWrote) {
  const std::vector<StoodTime> times = {{"03 Übersicht – Kosten.png", 12'345},
                                        {"a b#c;=.txt", 0},
                                        {"x", 18'446'744'073'709'551'615u}};
  const std::string text = WriteRehearsalTimes(times);
  EXPECT_EQ(text,
            "12345\t03 \xC3\x9C"
            "bersicht \xE2\x80\x93 Kosten.png\n0\ta b#c;=.txt\n"
            "18446744073709551615\tx\n");
  EXPECT_EQ(ReadRehearsalTimes(text), times);
  EXPECT_EQ(ReadRehearsalTimes(""), std::vector<StoodTime>{});

  for (const std::string_view bad : {
           "12\tname",                      // cut short before its line's end
           "12 name\n",                     // no tab
           "\tname\n",                      // no number
           "12\t\n",                        // no name
           "-5\tname\n",                    // no count of milliseconds
           "1x\tname\n",                    //
           "99999999999999999999\tname\n",  // past 64 bits
           "12\tna\rme\n",                  // a control character in the name
           "12\tna\tme\n",                  //
           "12\tna\xFFme\n",                // no UTF-8
       }) {
    EXPECT_EQ(ReadRehearsalTimes(bad), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace turv::format
