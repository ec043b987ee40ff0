// The toolkit's exception family: every exception carries a message text (ANSI, the
// process code page), shown to the user as it stands.
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  ~Exception() override;
  const char* what() const noexcept override { return Message.c_str(); }

  std::string Message;
};
