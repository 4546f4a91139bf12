// Pictures of palette indices as PNG files in the game's 16 colours, for the golden
// pictures of the tests and for the developer tools. 4-bit indexed pixels, stored
// (uncompressed) deflate blocks: no compression library needed, and the files stay small
// enough at the game's sizes. Plain code, no SDL.
#pragma once

#include <string>
#include <vector>

// Encodes a w x h picture of palette indices (row-major, low four bits used) as a 4-bit
// indexed PNG with the VGA palette.
std::string encodeIndexedPng(const unsigned char* pixels, int w, int h);

// Decodes what encodeIndexedPng writes into pixels (w x h indices). Returns false, with the
// reason in why, for anything else: another format, compressed or filtered data, a bad CRC.
bool decodeIndexedPng(const std::string& png, int& w, int& h, std::vector<unsigned char>& pixels,
                      std::string& why);

// Writes a w x h picture to path, each pixel as a scale x scale block. Returns false when
// the file cannot be written.
bool writeIndexedPng(const std::string& path, const unsigned char* pixels, int w, int h,
                     int scale = 1);

// Reads a file that writeIndexedPng wrote (scale 1). Returns false, with the reason in why,
// when it cannot be read or decoded.
bool readIndexedPng(const std::string& path, int& w, int& h, std::vector<unsigned char>& pixels,
                    std::string& why);
