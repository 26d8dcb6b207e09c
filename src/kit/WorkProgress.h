// How long work reports how far it has come.
#pragma once
#include <cstdint>
#include <functional>

// Called now and then with the bytes done so far and the total.
using WorkProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;
