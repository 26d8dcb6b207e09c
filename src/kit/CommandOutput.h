// How kitpack's commands speak: problems and notes on stderr, each line
// starting with "kitpack: ", and the figures of their results.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Prints the problem; returns the exit code of a failure, 1.
int Fail(const std::string& message);

// The same for steps that give true or false: returns false.
bool Refuse(const std::string& message);

// Prints something worth knowing that is no failure.
void Note(const std::string& message);

// Prints each problem after the prefix, at most 50 of them so that a badly
// broken input does not flood the terminal; returns 1.
int FailWithProblems(const std::string& prefix, const std::vector<std::string>& problems);

// part as a percentage of whole, to a tenth: "20.4%".
std::string Percent(std::uint64_t part, std::uint64_t whole);
