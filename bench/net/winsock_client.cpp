// winsock_client.cpp: the Windows reference of bench/net/compare.py: what a
// plain blocking Winsock program does in the round trip and frame loops of
// round_trip.lua, against the same peers, under the same Wine; and the same
// round trip in the library's shape but without it (one worker, then as
// many as the engine keeps, take overlapped receives from a completion port;
// the main thread polls a flag), which tells what that shape itself costs on
// this system.
//   winsock-client.exe COUNT SINK_PORT SILENT_PORT ANSWER_PORT
// clang-format off
#include <winsock2.h>  // before windows.h
#include <windows.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

double nowMs() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

SOCKET open(int port) {
  const SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<u_short>(port));
  peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(client, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) std::exit(1);
  return client;
}

std::string frame(uint32_t number, const std::string& text) {  // as 发送数据 sends it
  std::string bytes = {'\0', '\0'};
  for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((number >> shift) & 0xFF);
  return bytes + "\xC0\x42" + text + "\xED\x73";
}

bool sendAll(SOCKET client, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const int sent = send(client, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
    if (sent <= 0) return false;
    done += static_cast<size_t>(sent);
  }
  return true;
}

double roundTripsMs(int count, int port) {
  const SOCKET client = open(port);
  const double start = nowMs();
  for (int i = 1; i <= count; ++i) {
    if (!sendAll(client, frame(static_cast<uint32_t>(i), "ping"))) std::exit(1);
    char answer[4];
    for (int got = 0; got < 4;) {
      const int n = recv(client, answer + got, 4 - got, 0);
      if (n <= 0) std::exit(1);
      got += n;
    }
  }
  const double took = nowMs() - start;
  closesocket(client);
  return took;
}

struct PortReceiver {
  HANDLE port;
  SOCKET client;
  OVERLAPPED overlapped{};
  char buffer[4096];
  std::atomic<int> chunks{0};

  bool post() {
    overlapped = OVERLAPPED{};
    WSABUF into{sizeof buffer, buffer};
    DWORD got = 0, flags = 0;
    return WSARecv(client, &into, 1, &got, &flags, &overlapped, nullptr) == 0 ||
           WSAGetLastError() == WSA_IO_PENDING;
  }
  static DWORD WINAPI work(void* self) {
    auto* receiver = static_cast<PortReceiver*>(self);
    for (;;) {
      DWORD bytes = 0;
      ULONG_PTR key = 0;
      OVERLAPPED* done = nullptr;
      if (!GetQueuedCompletionStatus(receiver->port, &bytes, &key, &done, INFINITE) || bytes == 0)
        return 0;
      ++receiver->chunks;
      if (!receiver->post()) return 0;
    }
  }
};

// workers: as many threads as wait on the port; each completion wakes one.
double portRoundTripsMs(int count, int port, int workers) {
  PortReceiver receiver;
  receiver.client = open(port);
  receiver.port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
  CreateIoCompletionPort(reinterpret_cast<HANDLE>(receiver.client), receiver.port, 1, 0);
  receiver.post();
  HANDLE threads[MAXIMUM_WAIT_OBJECTS];  // one wait ends them all
  for (int i = 0; i < workers; ++i)
    threads[i] = CreateThread(nullptr, 0, PortReceiver::work, &receiver, 0, nullptr);
  const double start = nowMs();
  for (int i = 1; i <= count; ++i) {
    if (!sendAll(receiver.client, frame(static_cast<uint32_t>(i), "ping"))) std::exit(1);
    while (receiver.chunks < i) SwitchToThread();
  }
  const double took = nowMs() - start;
  closesocket(receiver.client);
  for (int i = 0; i < workers; ++i) PostQueuedCompletionStatus(receiver.port, 0, 0, nullptr);
  WaitForMultipleObjects(static_cast<DWORD>(workers), threads, TRUE, 5000);
  for (int i = 0; i < workers; ++i) CloseHandle(threads[i]);
  CloseHandle(receiver.port);
  return took;
}

// Every frame sent, then our end and the peer's: all of it has arrived.
double framesMs(int count, const std::string& text, int port) {
  const SOCKET client = open(port);
  const double start = nowMs();
  for (int i = 1; i <= count; ++i)
    if (!sendAll(client, frame(static_cast<uint32_t>(i), text))) std::exit(1);
  shutdown(client, SD_SEND);
  char rest[256];
  while (recv(client, rest, sizeof rest, 0) > 0) {
  }
  const double took = nowMs() - start;
  closesocket(client);
  return took;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  WSADATA data;
  WSAStartup(0x0202, &data);
  const int count = std::atoi(argv[1]), sink = std::atoi(argv[2]), answer = std::atoi(argv[4]);
  std::printf("figure round_trip_us %.3f\n", roundTripsMs(count, answer) * 1000 / count);
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const int engineWorkers =
      static_cast<int>(std::min<DWORD>(2 * system.dwNumberOfProcessors, MAXIMUM_WAIT_OBJECTS));
  std::printf("figure port_round_trip_us %.3f\n",
              portRoundTripsMs(count, answer, 1) * 1000 / count);
  std::printf("figure port_workers_round_trip_us %.3f\n",
              portRoundTripsMs(count, answer, engineWorkers) * 1000 / count);
  std::printf("figure frames3_per_s %.0f\n", 200000 / (framesMs(200000, "abc", sink) / 1000));
  std::printf("figure frames4000_per_s %.0f\n",
              20000 / (framesMs(20000, std::string(4000, 'x'), sink) / 1000));
  WSACleanup();
  return 0;
}
