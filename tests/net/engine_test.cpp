// engine_test.cpp: the engine, the connection's slot and the packet store,
// against a loopback listener of the test's own.
#include "net/engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "listener.h"
#include "net/client_connection.h"
#include "net/packet.h"
#include "protection.h"

namespace net = brovane::net;

namespace {

struct Recorder {
  std::mutex mutex;
  std::condition_variable changed;
  std::string data;
  int dataEvents = 0;
  int closedEvents = 0;
  uint32_t largest = 0;
};

Recorder* recorder = nullptr;

void ZELK_STDCALL recordEvent(uint32_t, uint32_t event, uintptr_t record, uint32_t count) {
  const auto* io = reinterpret_cast<const net::IoRecord*>(record);
  std::lock_guard<std::mutex> lock(recorder->mutex);
  if (event == net::dataEvent) {
    recorder->data.append(reinterpret_cast<const char*>(io->bufferData), count);
    ++recorder->dataEvents;
    if (count > recorder->largest) recorder->largest = count;
  }
  if (event == net::closedEvent) ++recorder->closedEvents;
  recorder->changed.notify_all();
}

int closedEvents() {
  std::lock_guard<std::mutex> lock(recorder->mutex);
  return recorder->closedEvents;
}

template <typename Done>
bool waitFor(Done done) {
  std::unique_lock<std::mutex> lock(recorder->mutex);
  return recorder->changed.wait_for(lock, std::chrono::seconds(10), done);
}

bool waitForFreeSlots() {
  for (int i = 0; i < 1000 && net::slotsTaken() != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return net::slotsTaken() == 0;
}

std::string pattern(size_t length, int seed) {
  std::string bytes(length, '\0');
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>('A' + (i * 7 + seed) % 26);
  return bytes;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    net::createEngineTables();
    recorder = new Recorder;
    ASSERT_EQ(net::startEngine(), 1);
  }
  void TearDown() override {
    EXPECT_EQ(net::stopEngine(), 1);
    EXPECT_EQ(net::slotsTaken(), 0);
    delete recorder;
    recorder = nullptr;
  }
  int32_t open(const nettest::Listener& listener) {
    return net::openSlot(0, recordEvent, "127.0.0.1", listener.port());
  }
};

TEST_F(EngineTest, StartsOnceAndStopsOnce) {
  EXPECT_EQ(net::startEngine(), 1);  // already running: nothing new
  EXPECT_EQ(net::stopEngine(), 1);
  EXPECT_EQ(net::stopEngine(), 0);
  EXPECT_EQ(net::startEngine(), 1);  // and again, for TearDown
}

TEST_F(EngineTest, BurstArrivesInOrderInReceivesOfAtMost4096) {
  nettest::Listener listener;
  const int32_t slot = open(listener);
  ASSERT_EQ(slot, 1);  // the first connection gets slot 1
  ASSERT_TRUE(listener.accept());
  const std::string burst = pattern(100000, 3);
  ASSERT_TRUE(listener.send(burst));
  ASSERT_TRUE(waitFor([] { return recorder->data.size() >= 100000; }));
  EXPECT_EQ(recorder->data, burst);
  EXPECT_LE(recorder->largest, net::receiveBlockSize);
  EXPECT_GE(recorder->dataEvents, 25);
  EXPECT_EQ(closedEvents(), 0);
}

// The peer's orderly end and a local close each give one closed event and
// free the slot.
TEST_F(EngineTest, EveryEndRunsTheClosedProcedureOnce) {
  for (bool peerEnds : {true, false}) {
    nettest::Listener listener;
    const int32_t slot = open(listener);
    ASSERT_NE(slot, 0);
    ASSERT_TRUE(listener.accept());
    const int before = closedEvents();
    if (peerEnds) listener.closeConnection();
    if (!peerEnds) net::closeSlotSocket(slot);
    net::closeSlotSocket(slot);  // a second end changes nothing
    ASSERT_TRUE(waitFor([&] { return recorder->closedEvents == before + 1; }));
    EXPECT_TRUE(waitForFreeSlots());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(closedEvents(), before + 1) << "peerEnds " << peerEnds;
    EXPECT_EQ(net::sendOnSlot(slot, reinterpret_cast<const uint8_t*>("x"), 1), 0);
  }
}

// Sends made while the peer does not read go out whole and in order, and
// the end that follows them comes after the last byte.
TEST_F(EngineTest, SendsKeepTheirOrderAcrossPartialSends) {
  nettest::Listener listener;
  const int32_t slot = open(listener);
  ASSERT_NE(slot, 0);
  ASSERT_TRUE(listener.accept());
  std::string expected;
  for (int i = 0; i < 60; ++i) {
    const std::string piece = pattern(1 + (i * 37919) % 150000, i);
    ASSERT_EQ(net::sendOnSlot(slot, reinterpret_cast<const uint8_t*>(piece.data()), piece.size()),
              1);
    expected += piece;
  }
  std::thread closer([slot] { net::endSlot(slot); });
  const std::string received = listener.receiveToEnd();
  listener.closeConnection();  // answers our end: the close need not linger
  closer.join();
  EXPECT_EQ(received.size(), expected.size());
  EXPECT_TRUE(received == expected);
  EXPECT_TRUE(waitForFreeSlots());
}

TEST_F(EngineTest, LowestFreeSlotIsTaken) {
  nettest::Listener first, second, third;
  const int32_t one = open(first);
  const int32_t two = open(second);
  EXPECT_EQ(one, 1);
  EXPECT_EQ(two, 2);
  net::closeSlotSocket(one);
  ASSERT_TRUE(waitFor([] { return recorder->closedEvents == 1; }));
  for (int i = 0; i < 100 && net::findFreeSlot() != 1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(open(third), 1);
}

TEST_F(EngineTest, FailedOpensLeaveNoSlot) {
  uint16_t deadPort = 0;
  {
    nettest::Listener gone;
    deadPort = gone.port();
  }
  nettest::Listener listener;
  const struct {
    const char* address;
    int32_t port;
  } cases[] = {{"127.0.0.1", deadPort},
               {"localhost", listener.port()},
               {"", listener.port()},
               {nullptr, listener.port()},
               {"127.0.0.256", listener.port()}};
  for (const auto& c : cases) {
    EXPECT_EQ(net::openSlot(0, recordEvent, c.address, c.port), 0) << (c.address ? c.address : "");
    EXPECT_EQ(net::slotsTaken(), 0);
  }
  EXPECT_EQ(net::sendOnSlot(7, reinterpret_cast<const uint8_t*>("x"), 1), 0);  // a free slot
}

TEST(IoRecord, RecordsAndBlocksAreNotExecutable) {
  EXPECT_TRUE(nettest::isExecutable(reinterpret_cast<const void*>(&net::startEngine)));  // it tells
  net::IoRecord* receive = net::newReceiveRecord();
  net::IoRecord* send = net::newSendRecord(1 << 20);
  ASSERT_NE(receive, nullptr);
  ASSERT_NE(send, nullptr);
  for (const net::IoRecord* record : {receive, send}) {
    EXPECT_FALSE(nettest::isExecutable(record));
    EXPECT_FALSE(nettest::isExecutable(record->blockStart));
  }
  EXPECT_EQ(receive->bufferLength, net::receiveBlockSize);
  EXPECT_EQ(send->bufferLength, 1u << 20);
  EXPECT_EQ(send->operation, net::sendOperation);
  net::releaseReceiveRecord(receive);
  net::releaseSendRecord(send);
}

TEST(ClientConnection, WithoutAConnection) {
  net::createEngineTables();
  net::ClientConnection connection;
  net::IoRecord record{};
  uint8_t byte = 'x';
  record.bufferData = &byte;
  const std::vector<uint8_t> frame = net::buildFrame(1, "a");
  EXPECT_EQ(connection.sendData(frame.data(), frame.size()), 0);
  EXPECT_EQ(connection.takeReceived(&record, 1).length, 0u);
  EXPECT_EQ(connection.open("127.0.0.1", 1, recordEvent, 0), 0);  // the engine is stopped
  connection.close();
  EXPECT_EQ(connection.connectionId(), 0);
}

TEST(Frame, Bytes) {
  const struct {
    int32_t number;
    const char* text;
    std::string bytes;
  } cases[] = {
      {1, "abc",
       std::string("\0\0\x01\0\0\0\xC0\x42"
                   "abc\xED\x73",
                   13)},
      {-1, "", std::string("\0\0\xFF\xFF\xFF\xFF\xC0\x42\xED\x73", 10)},
      {258, nullptr, std::string("\0\0\x02\x01\0\0\xC0\x42\xED\x73", 10)},
      {INT32_MIN, "\xC0\x42", std::string("\0\0\0\0\0\x80\xC0\x42\xC0\x42\xED\x73", 12)},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> frame = net::buildFrame(c.number, c.text);
    EXPECT_EQ(std::string(frame.begin(), frame.end()), c.bytes) << c.number;
  }
}

TEST(PacketStore, TakesTheLastChunkOnce) {
  const struct {
    std::string chunks[2];
    bool waiting;
    const char* text;  // null: the take gives nil
  } cases[] = {
      {{"", ""}, false, nullptr},
      {{"abc", ""}, true, "abc"},
      {{"abc", "de"}, true, "de"},
      {{std::string("\0ab", 3), ""}, true, nullptr},
      {{std::string("ab\0c", 4), ""}, true, "ab"},
  };
  for (const auto& c : cases) {
    net::PacketStore store;
    for (const std::string& chunk : c.chunks)
      if (!chunk.empty()) store.replace(zelk::copyBytes(chunk.data(), chunk.size()));
    zelk::Text text;
    EXPECT_EQ(store.take(&text), c.waiting) << c.chunks[0];
    EXPECT_STREQ(text.get(), c.text) << c.chunks[0];
    EXPECT_FALSE(store.take(&text)) << "taken twice: " << c.chunks[0];
  }
}

}  // namespace
