#pragma once
// Sending a frame (its length prefix and its payload, held apart) with one system call per attempt, used by
// the client and the server alike.
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <string_view>

namespace sw {

// Sends what is left of `header` followed by `payload` after the first `sent` bytes, in one sendmsg with
// `flags` (MSG_NOSIGNAL is added). Returns what sendmsg returns: the bytes taken, or -1 with errno set.
inline ssize_t SendFrameRest(int fd, std::string_view header, std::string_view payload, std::size_t sent,
                             int flags) {
  iovec parts[2];
  int count = 0;
  if (sent < header.size()) parts[count++] = {const_cast<char*>(header.data() + sent), header.size() - sent};
  const std::size_t from = sent < header.size() ? 0 : sent - header.size();
  parts[count++] = {const_cast<char*>(payload.data() + from), payload.size() - from};
  msghdr msg{};
  msg.msg_iov = parts;
  msg.msg_iovlen = static_cast<decltype(msg.msg_iovlen)>(count);
  return ::sendmsg(fd, &msg, flags | MSG_NOSIGNAL);
}

}  // namespace sw
