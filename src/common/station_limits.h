#pragma once
// How many machines one station keeps and how many points a product has:
// every array, loop and check over machines or points counts from here.

namespace ziv {

constexpr int kMachineCount = 48;  // machines 0..47
constexpr int kLastMachine = kMachineCount - 1;
constexpr int kFirstPoint = 1;
constexpr int kLastPoint = 100;  // points 1..100, one grid row each

}  // namespace ziv
