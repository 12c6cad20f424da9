#include "net/fetch_ahead_slots.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace nv {
namespace {

// Each step and what it must answer: "c=N" Claim gives N ("c=-": nothing),
// "fN+" / "fN-" Finish with bytes "bN" / without, "tN=b" Take gives bytes
// "bN", "tN=w" wait, "tN=u" the usual road, "h=N" held().
struct Script {
  const char* eligible;  // '1': may go ahead
  std::size_t window;
  const char* steps;
};

const Script kScripts[] = {
    // At most `window` files fetching or held; a taken file makes room.
    {"111", 2, "c=0 c=1 c=- h=2 f0+ c=- t0=b h=1 c=2 c=- t1=w f1+ t1=b t2=w f2- h=0 t2=u c=-"},
    // A file whose turn comes before a thread claimed it takes the usual
    // road and is never fetched; a file not ahead is skipped by the claims.
    {"1011", 8, "t0=u c=2 c=3 c=- t1=u t2=w f2+ t2=b h=1"},
    // Files whose turn passed are dropped, fetched or still fetching.
    {"1111", 4, "c=0 c=1 c=2 f1+ h=3 t2=w h=2 f0+ h=1 c=3 f2+ t2=b t3=w f3- t3=u h=0 c=-"},
    // Nothing eligible, or no room at all.
    {"00", 8, "c=- t0=u t1=u h=0"},
    {"11", 0, "c=- t0=u t1=u"},
};

TEST(FetchAheadSlots, ClaimsFinishesAndTurnsFollowTheirScript) {
  for (const Script& script : kScripts) {
    std::vector<bool> eligible;
    for (const char* c = script.eligible; *c; ++c) eligible.push_back(*c == '1');
    FetchAheadSlots<std::string> slots(eligible, script.window);
    std::istringstream steps(script.steps);
    std::string step;
    while (steps >> step) {
      SCOPED_TRACE(std::string(script.steps) + " at " + step);
      const char kind = step[0];
      if (kind == 'c') {
        const auto claimed = slots.Claim();
        EXPECT_EQ(claimed ? std::to_string(*claimed) : "-", step.substr(2));
      } else if (kind == 'h') {
        EXPECT_EQ(std::to_string(slots.held()), step.substr(2));
      } else if (kind == 'f') {
        const std::size_t index = std::stoul(step.substr(1));
        slots.Finish(index, step.back() == '+' ? std::optional<std::string>("b" + std::to_string(index)) : std::nullopt);
      } else {
        const std::size_t index = std::stoul(step.substr(1));
        std::optional<std::string> held;
        using Turn = FetchAheadSlots<std::string>::Turn;
        const Turn turn = slots.Take(index, held);
        const char got = turn == Turn::kReady ? 'b' : turn == Turn::kWait ? 'w' : 'u';
        EXPECT_EQ(got, step.back());
        EXPECT_EQ(held.value_or(""), got == 'b' ? "b" + std::to_string(index) : "");
      }
    }
  }
}

}  // namespace
}  // namespace nv
