#pragma once

#include <stdexcept>
#include <string>

// Raised where a conversion of text to a value cannot be done (bad or short hex text, a
// number outside the range of its type). Callers catch it where they handle errors.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const std::string& what) : std::runtime_error(what) {}
};

// Raised by indexed properties whose index rule says an error reaches the caller.
class IndexOutOfRange : public std::out_of_range {
public:
    explicit IndexOutOfRange(const std::string& what) : std::out_of_range(what) {}
};
