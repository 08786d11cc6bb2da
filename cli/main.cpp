// vireoscan-convert: the headless converter and information printer.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/info_command.h"

namespace {

constexpr const char* usageText =
    "Usage: vireoscan-convert [OPTIONS] FILE...\n"
    "Converts every frame of greyscale DICOM files to TIFF, BMP or RAW files,\n"
    "or prints what the viewer's information panel shows for each file.\n"
    "\n"
    "  -i, --info      print the information lines of each file\n"
    "  -h, --help      show this help and exit\n"
    "      --version   show the version and exit\n"
    "\n"
    "Exit status: 0 when every file succeeded, 1 when one did not, 2 on a usage error.\n";

int usageError(const char* message, const char* argument) {
    std::fprintf(stderr, "vireoscan-convert: %s '%s'\n", message, argument);
    std::fprintf(stderr, "Try 'vireoscan-convert --help' for more information.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool info = false;
    bool optionsEnded = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (optionsEnded || arg[0] != '-' || std::strcmp(arg, "-") == 0) {
            files.emplace_back(arg);
        } else if (std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(arg, "-i") == 0 || std::strcmp(arg, "--info") == 0) {
            info = true;
        } else if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            std::fputs(usageText, stdout);
            return 0;
        } else if (std::strcmp(arg, "--version") == 0) {
            std::puts("vireoscan-convert 1.2");
            return 0;
        } else {
            return usageError("unknown option", arg);
        }
    }
    if (files.empty()) {
        std::fputs("vireoscan-convert: no input files\n", stderr);
        std::fputs("Try 'vireoscan-convert --help' for more information.\n", stderr);
        return 2;
    }
    if (info) return vs::cli::printInfo(files);
    std::fputs("vireoscan-convert: conversion is not available yet; use --info\n", stderr);
    return 2;
}
