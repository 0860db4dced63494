// When a thread with a message queue ends, its windows go with it (freed without messages: the
// thread can no longer handle any), messages sent to it are answered 0, and its queue is dropped.
#pragma once

#include <memory>

class MessageQueue;

// Arranges the clean-up for the calling thread's queue when the thread ends.
void WatchThreadExit(std::shared_ptr<MessageQueue> queue);
