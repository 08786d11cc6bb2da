// What every translation unit over one build of GDCM's IJG libraries shares (the decoder in
// platform/ijg_decode.cpp, the builder's encoder in samples/lossless_jpeg.cpp): the build's
// declarations in a namespace of their own, so that the 8-, 12- and 16-bit builds' types of
// the same names stay apart (the functions keep their C names), and the error trap. Compiled
// with VIREOSCAN_IJG_BITS and VIREOSCAN_IJG_NAMESPACE set and that build's headers first on
// the include path (cmake/ijg_builds.cmake).
//
// The library reports an error by calling error_exit, which must not return: the trap jumps
// back to where decoding or encoding began, so everything the jump passes over must be plain
// data owned by the caller.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>

namespace vs::ijg::VIREOSCAN_IJG_NAMESPACE {

extern "C" {
#include <jpeglib.h>
#include <jerror.h>
}

static_assert(BITS_IN_JSAMPLE == VIREOSCAN_IJG_BITS, "the headers of another build are on the include path");

struct ErrorTrap {
    jpeg_error_mgr manager;  // first, so that the library's pointer to it is one to the trap
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// error_exit: the library's words into the trap's message, and back to the setjmp.
inline void jumpBack(j_common_ptr common) {
    auto* trap = reinterpret_cast<ErrorTrap*>(common->err);
    (*common->err->format_message)(common, trap->message);
    std::longjmp(trap->jump, 1);
}

// Sets up the trap as common's error manager, printing nothing.
inline jpeg_error_mgr* trapErrors(ErrorTrap& trap) {
    jpeg_error_mgr* manager = jpeg_std_error(&trap.manager);
    manager->error_exit = jumpBack;
    manager->output_message = [](j_common_ptr) {};
    return manager;
}

}  // namespace vs::ijg::VIREOSCAN_IJG_NAMESPACE

#define VIREOSCAN_IJG_JOIN2(a, b) a##b
#define VIREOSCAN_IJG_JOIN(a, b) VIREOSCAN_IJG_JOIN2(a, b)
// name followed by the build's bits: decode16.
#define VIREOSCAN_IJG_NAME(name) VIREOSCAN_IJG_JOIN(name, VIREOSCAN_IJG_BITS)
