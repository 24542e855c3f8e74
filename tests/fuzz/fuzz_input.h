// Reads a fuzz input from the front, so seed files can be written by hand (make_seeds.py):
// past the end every read gives zeros and empty texts, never an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return at_ >= size_; }
    size_t Left() const { return at_ < size_ ? size_ - at_ : 0; }

    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t U16() {
        const uint16_t low = Byte();
        return static_cast<uint16_t>(low | (Byte() << 8));
    }
    uint32_t U32() {
        const uint32_t low = U16();
        return low | (static_cast<uint32_t>(U16()) << 16);
    }
    bool Bit() { return (Byte() & 1) != 0; }

    // `count` bytes, zero-filled past the end.
    void Bytes(uint8_t* out, size_t count) {
        for (size_t i = 0; i < count; ++i)
            out[i] = Byte();
    }
    // A length byte, then that many bytes (as many as are left).
    std::vector<uint8_t> Blob() { return Blob(Byte()); }
    std::vector<uint8_t> Blob(size_t length) {
        const size_t n = length < Left() ? length : Left();
        std::vector<uint8_t> out(data_ + at_, data_ + at_ + n);
        at_ += n;
        return out;
    }
    // A UTF-16LE text of a length byte's worth of units: any unit, terminators included.
    std::wstring Text() {
        const size_t units = Byte();
        std::wstring out;
        for (size_t i = 0; i < units && Left() >= 2; ++i)
            out.push_back(static_cast<wchar_t>(U16()));
        return out;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// A broken property: report it and stop, so libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
