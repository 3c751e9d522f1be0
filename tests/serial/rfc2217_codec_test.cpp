// The Telnet codec, option negotiation and output queue shared by the
// network line client and the simulator.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "serial/Rfc2217ModemState.h"
#include "serial/Rfc2217Options.h"
#include "serial/Rfc2217OutputQueue.h"
#include "serial/TelnetCodec.h"

using namespace telnet;
using Bytes = std::vector<uint8_t>;

namespace {
// Records what the parser reports, as text that is easy to compare.
struct Recorder : TelnetSink {
  Bytes data;
  std::vector<std::string> events;
  void OnData(const uint8_t* d, size_t n) override { data.insert(data.end(), d, d + n); }
  void OnOptionCommand(uint8_t command, uint8_t option) override {
    events.push_back("opt " + std::to_string(command) + " " + std::to_string(option));
  }
  void OnSubnegotiation(uint8_t option, const uint8_t* p, size_t n) override {
    std::string e = "sb " + std::to_string(option) + ":";
    // GCC 12 at -O3 takes a one-character literal put before a temporary
    // string for an overlapping copy (GCC bug 105329); nothing overlaps.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
    for (size_t i = 0; i < n; ++i) e += " " + std::to_string(p[i]);
#pragma GCC diagnostic pop
    events.push_back(e);
  }
};

void FeedBytewise(TelnetParser& parser, const Bytes& bytes, Recorder& r) {
  for (uint8_t b : bytes) parser.Feed(&b, 1, r);
}
}  // namespace

TEST(Rfc2217Codec, EscapingRoundTripsEveryByteValue) {
  Bytes all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(i));
  all.push_back(0xFF);
  Bytes wire = EscapeData(all.data(), all.size());
  EXPECT_EQ(wire.size(), all.size() + 2);  // each 0xFF doubled

  // Whole and split into single bytes (a command cut between two reads).
  for (bool bytewise : {false, true}) {
    TelnetParser parser;
    Recorder r;
    if (bytewise)
      FeedBytewise(parser, wire, r);
    else
      parser.Feed(wire.data(), wire.size(), r);
    EXPECT_EQ(r.data, all);
    EXPECT_TRUE(r.events.empty());
  }
}

TEST(Rfc2217Codec, CommandsAndSubnegotiationsBetweenData) {
  Bytes wire = {'a', kIAC, kWILL, 44, 'b', kIAC, 241 /*NOP*/, 'c'};
  Bytes frame = ComPortFrame(kSetModemStateMask, {0xFF});
  EXPECT_EQ(frame, (Bytes{kIAC, kSB, 44, 11, 0xFF, 0xFF, kIAC, kSE}));
  wire.insert(wire.end(), frame.begin(), frame.end());
  Bytes baud = BaudBytes(19200);
  Bytes baudFrame = ComPortFrame(kSetBaudRate, baud.data(), baud.size());
  wire.insert(wire.end(), baudFrame.begin(), baudFrame.end());
  wire.insert(wire.end(), {kIAC, kDONT, 1, kIAC, kIAC});

  for (bool bytewise : {false, true}) {
    TelnetParser parser;
    Recorder r;
    if (bytewise)
      FeedBytewise(parser, wire, r);
    else
      parser.Feed(wire.data(), wire.size(), r);
    EXPECT_EQ(r.data, (Bytes{'a', 'b', 'c', 0xFF}));
    EXPECT_EQ(r.events, (std::vector<std::string>{"opt 251 44", "sb 44: 11 255", "sb 44: 1 0 0 75 0",
                                                  "opt 254 1"}));
  }
  EXPECT_EQ(BaudFromBytes(baud.data()), 19200u);
  EXPECT_EQ(CiscoBaudFromIndex(10), 19200u);
  EXPECT_EQ(CiscoIndexFromBaud(9600), 8);
}

TEST(Rfc2217Codec, OversizeOrBrokenSubnegotiationIsDroppedAndParsingRecovers) {
  TelnetParser parser;
  Recorder r;
  Bytes endless = {kIAC, kSB, 44, 7};
  endless.resize(endless.size() + 100000, 0x20);
  parser.Feed(endless.data(), endless.size(), r);
  Bytes end = {kIAC, kSE, 'x'};
  parser.Feed(end.data(), end.size(), r);
  EXPECT_TRUE(r.events.empty());
  EXPECT_EQ(r.data, Bytes{'x'});
  EXPECT_EQ(parser.DroppedSubnegotiations(), 1u);

  // A subnegotiation broken off by another command: the command counts.
  Bytes broken = {kIAC, kSB, 44, 7, 1, kIAC, kWILL, 3, 'y'};
  parser.Feed(broken.data(), broken.size(), r);
  EXPECT_EQ(r.events, std::vector<std::string>{"opt 251 3"});
  EXPECT_EQ(r.data, (Bytes{'x', 'y'}));

  // Exactly the cap still arrives.
  Bytes full = {kIAC, kSB, 44};
  full.resize(3 + TelnetParser::kMaxSubnegotiation, 1);
  full.insert(full.end(), {kIAC, kSE});
  parser.Feed(full.data(), full.size(), r);
  EXPECT_EQ(r.events.size(), 2u);
}

TEST(Rfc2217Options, AnswersRequestsButNeverAnswers) {
  OptionNegotiator a, b;
  for (auto* n : {&a, &b}) {
    n->Accept(kOptBinary, true, true);
    n->Accept(kOptComPort, true, true);
  }
  // Both ends ask for BINARY at the same time: the requests cross and each
  // end takes the other's request as its answer; nothing more is said.
  Bytes fromA, fromB;
  a.Request(OptionNegotiator::Side::Local, kOptBinary, fromA);
  a.Request(OptionNegotiator::Side::Remote, kOptBinary, fromA);
  b.Request(OptionNegotiator::Side::Local, kOptBinary, fromB);
  Bytes toA, toB;
  for (size_t i = 0; i < fromA.size(); i += 3) b.Receive(fromA[i + 1], fromA[i + 2], toA);
  for (size_t i = 0; i < fromB.size(); i += 3) a.Receive(fromB[i + 1], fromB[i + 2], toB);
  EXPECT_EQ(toA, (Bytes{kIAC, kDO, kOptBinary}));  // b answers a's WILL
  EXPECT_TRUE(toB.empty());
  Bytes more;
  a.Receive(toA[1], toA[2], more);
  EXPECT_TRUE(more.empty());
  EXPECT_TRUE(a.Enabled(OptionNegotiator::Side::Local, kOptBinary));
  EXPECT_TRUE(a.Enabled(OptionNegotiator::Side::Remote, kOptBinary));
  EXPECT_TRUE(b.Enabled(OptionNegotiator::Side::Remote, kOptBinary));

  // An unknown option is refused once; repeating the request gets silence.
  Bytes out;
  for (int i = 0; i < 1000; ++i) a.Receive(kWILL, kOptEcho, out);
  for (int i = 0; i < 1000; ++i) a.Receive(kDO, 99, out);
  EXPECT_EQ(out, (Bytes{kIAC, kDONT, kOptEcho, kIAC, kWONT, 99}));

  // Our request turned down: noted, not answered.
  out.clear();
  a.Request(OptionNegotiator::Side::Local, kOptComPort, out);
  out.clear();
  a.Receive(kDONT, kOptComPort, out);
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(a.Refused(OptionNegotiator::Side::Local, kOptComPort));
}

TEST(Rfc2217OutputQueue, PurgeKeepsCommandsAndFramesBegun) {
  int sv[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  OutputQueue q;
  q.Push(OutputQueue::Kind::Data, Bytes(10, 'a'));
  q.Push(OutputQueue::Kind::Control, Bytes{kIAC, kWILL, 44});
  q.Push(OutputQueue::Kind::Data, Bytes(5, 'b'));
  EXPECT_EQ(q.DataBytes(), 15u);
  q.PurgeData();
  EXPECT_EQ(q.DataBytes(), 0u);
  ASSERT_EQ(q.Flush(sv[0]), OutputQueue::FlushResult::Sent);
  uint8_t got[64];
  ASSERT_EQ(read(sv[1], got, sizeof got), 3);

  // Fill the socket until it blocks; the frame being sent survives a purge.
  Bytes chunk(4000, 'c');
  for (int i = 0; i < 200; ++i) q.Push(OutputQueue::Kind::Data, chunk);
  ASSERT_EQ(q.Flush(sv[0]), OutputQueue::FlushResult::Blocked);
  q.PurgeData();
  EXPECT_LE(q.DataBytes(), 4000u);
  close(sv[1]);
  close(sv[0]);
}

TEST(Rfc2217ModemState, FirstReportIsTheBaselineThenLevelsAndPulses) {
  rfc2217::ModemStateTracker t;
  EXPECT_FALSE(t.Update(0x00 | 0x0F));  // change bits in the first report mean nothing
  EXPECT_FALSE(t.Update(0x00));         // no change
  EXPECT_TRUE(t.Update(0x20 | 0x02));   // DSR up
  EXPECT_EQ(t.Levels(), 0x20);
  EXPECT_TRUE(t.Update(0x20 | 0x02));   // down and up again between reports
  EXPECT_TRUE(t.Update(0x00));          // DSR down, no change bit sent (old servers)
  EXPECT_EQ(t.Levels(), 0x00);
  // Changes add up until taken, by level or change bit, per line.
  EXPECT_EQ(t.TakeChanges(), 0x20);
  EXPECT_EQ(t.TakeChanges(), 0x00);
  t.Update(0x20);
  t.Update(0x00);
  t.Update(0x00 | 0x01);                // CTS went both ways unseen
  EXPECT_EQ(t.TakeChanges(), 0x30);
}
