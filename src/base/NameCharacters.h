// Names read character by character in an ANSI code page. In the
// double-byte code pages (932, 936, 949, 950) a character may take two
// bytes, and in 932, 936 and 950 its second byte may be that of '\': only a
// '\' or a '/' that is a character of its own ends a component of a name,
// never the second byte of another. Every walk that splits a name or looks for a
// separator in it goes through here, the installer's checks and its writer
// and the kit builder's alike, so that all of them split a name at the same
// places.
#pragma once
#include <cstddef>

// Whether the byte begins a two-byte character in the code page; never in a
// single-byte one.
bool IsLeadByte(unsigned codePage, unsigned char byte);

// How many bytes the character at text takes, of the left (1 or more) that
// remain: 2 for a lead byte followed by a byte that may follow it, 1
// otherwise, a lead byte without one among them.
std::size_t CharacterLength(unsigned codePage, const char* text, std::size_t left);

// Whether the byte, at the start of a character, is a separator: '\' and '/'
// both are, as on Windows.
bool IsNameSeparator(char c);

// Where the first separator of text[0, length) stands, or length when it
// holds none.
std::size_t FindNameSeparator(unsigned codePage, const char* text, std::size_t length);

// Where the first character that is cut short stands: a lead byte that is
// the text's last, or that a byte follows which no character of the code
// page has there. length when every character is whole.
std::size_t FindBrokenCharacter(unsigned codePage, const char* text, std::size_t length);
