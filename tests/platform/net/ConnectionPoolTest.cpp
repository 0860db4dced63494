// The pool's own rules, on socket pairs and a clock of the test's choosing: bounds per key and in
// all, the idle time, and connections whose peer went away or sent unasked bytes.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <set>
#include <vector>

#include "platform/net/ConnectionPool.h"

namespace {

using Clock = ConnectionPool::Clock;
using std::chrono::seconds;

// One end of a socket pair as an idle connection; the test keeps the other end as the "server".
// Records its own closing, so the test can tell which connections the pool dropped.
class PairConnection : public IdleConnection {
 public:
  PairConnection(int fd, std::set<int>* closed) : IdleConnection(fd), closed_(closed) {}
  ~PairConnection() override {
    closed_->insert(Socket());
    ::close(Socket());
  }

 private:
  std::set<int>* closed_;
};

class Pool : public testing::Test {
 protected:
  ~Pool() override {
    pool.Clear();
    for (int fd : servers) ::close(fd);
  }
  // A new connection; its server end is kept in `servers`.
  std::unique_ptr<IdleConnection> Connection() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    servers.push_back(fds[1]);
    return std::make_unique<PairConnection>(fds[0], &closed);
  }
  int Give(const std::string& key, Clock::time_point at) {
    std::unique_ptr<IdleConnection> c = Connection();
    const int fd = c->Socket();
    pool.Give(key, std::move(c), at);
    return fd;
  }

  const Clock::time_point t0 = Clock::now();
  ConnectionPool pool{{/*perKey=*/2, /*total=*/3, /*idle=*/seconds(30)}};
  std::set<int> closed;
  std::vector<int> servers;
};

TEST_F(Pool, HandsOutTheNewestConnectionOfTheKeyAndEachOnlyOnce) {
  const int older = Give("a", t0);
  const int newer = Give("a", t0 + seconds(1));
  Give("b", t0);
  std::unique_ptr<IdleConnection> first = pool.Take("a", t0 + seconds(2));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Socket(), newer);
  std::unique_ptr<IdleConnection> second = pool.Take("a", t0 + seconds(2));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Socket(), older);
  EXPECT_EQ(pool.Take("a", t0 + seconds(2)), nullptr);
  EXPECT_EQ(pool.IdleCount(t0 + seconds(2)), 1u);
  EXPECT_TRUE(closed.empty());
}

TEST_F(Pool, KeepsAtMostItsBoundsByClosingTheOldest) {
  const int a1 = Give("a", t0);
  Give("a", t0 + seconds(1));
  Give("a", t0 + seconds(2));  // a third for "a": its oldest goes
  EXPECT_EQ(closed, std::set<int>{a1});
  Give("b", t0 + seconds(3));
  const int b2 = Give("b", t0 + seconds(4));  // four in all: the oldest of all goes
  EXPECT_EQ(pool.IdleCount(t0 + seconds(4)), 3u);
  EXPECT_EQ(closed.size(), 2u);
  std::unique_ptr<IdleConnection> b = pool.Take("b", t0 + seconds(5));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Socket(), b2);
}

TEST_F(Pool, ClosesConnectionsIdleForTheIdleTime) {
  const int old = Give("a", t0);
  const int fresh = Give("a", t0 + seconds(20));
  EXPECT_EQ(pool.IdleCount(t0 + seconds(29)), 2u);
  std::unique_ptr<IdleConnection> taken = pool.Take("a", t0 + seconds(40));
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->Socket(), fresh);
  EXPECT_TRUE(closed.count(old));
  EXPECT_EQ(pool.Take("a", t0 + seconds(40)), nullptr);
}

TEST_F(Pool, NeverHandsOutAConnectionItsPeerClosedOrSentUnaskedBytesOn) {
  Give("a", t0);
  Give("a", t0);
  ::close(servers[0]);                        // the server closed the first
  ASSERT_EQ(::write(servers[1], "x", 1), 1);  // and sent a stray byte on the second
  EXPECT_EQ(pool.Take("a", t0), nullptr);
  EXPECT_EQ(closed.size(), 2u);
  // One that is already dead when given back is not kept either.
  std::unique_ptr<IdleConnection> late = Connection();
  ::close(servers.back());
  pool.Give("a", std::move(late), t0);
  EXPECT_EQ(pool.IdleCount(t0), 0u);
  servers.clear();
}

}  // namespace
