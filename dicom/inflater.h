// Inflating raw deflate data (RFC 1951, no zlib or gzip wrapper): the data set of a file in
// deflated explicit VR little endian (PS3.5 A.5) follows its meta group so compressed. The
// library sees only this interface; platform/ holds the adapter over zlib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vs {

// What one call of Inflater::inflate came to.
struct InflateStep {
    size_t consumed = 0;    // input bytes taken
    size_t produced = 0;    // output bytes written
    bool finished = false;  // the stream's last block has ended
    std::string whyNot;     // the stream is damaged (naming the inflater, for the user to read)
};

class Inflater {
public:
    virtual ~Inflater() = default;
    // Makes ready for a new stream.
    virtual void restart() = 0;
    // Goes on with the stream: takes input from in (inSize bytes) and writes into out (outSize
    // bytes), as far as either reaches. A step that consumes and produces nothing while
    // neither is exhausted does not happen: the stream is then finished or damaged.
    virtual InflateStep inflate(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) = 0;
};

}  // namespace vs
