// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/LoopLead.h"

#include <initializer_list>

namespace zupfomat {
namespace {

struct Row {
    int divisor; // 0: lead set to 0
    std::initializer_list<int> riffs;
};

// The loop points, as chosen per riff so that a loop comes round on the beat.
const Row kLoopPoints[] = {
    {3, {32, 42, 43, 50, 51}},
    {4, {20}},
    {5, {19, 27, 28, 29, 31, 35, 40}},
    {8, {44, 49, 52}},
    {9, {1, 2, 21, 26}},
    {11, {12, 34}},
    {12, {4, 7, 37}},
    {13, {6}},
    {14, {10}},
    {15, {22}},
    {21, {41}},
    {23, {46, 53}},
    {28, {54}},
    {32, {3}},
    {45, {14, 24}},
    {54, {36}},
    {55, {45}},
    {111, {15, 16, 17, 18, 25}},
    {900, {5}},
    {1111, {13, 30}},
    {5333, {47}},
    {0, {8, 23, 33, 38, 39, 48, 55, 56, 57, 58}},
};

} // namespace

LoopLeadRule loopLeadRule(int currentNumber)
{
    for (const Row& row : kLoopPoints) {
        for (int riff : row.riffs) {
            if (riff == currentNumber)
                return row.divisor == 0 ? LoopLeadRule{LoopLeadRule::Zero, 0} : LoopLeadRule{LoopLeadRule::Divide, row.divisor};
        }
    }
    return {LoopLeadRule::Unchanged, 0}; // riffs 9 and 11, and every exercise
}

int64_t loopLeadFor(int64_t lengthMs, int divisor)
{
    const int64_t quotient = lengthMs / divisor;
    const int64_t remainder = lengthMs % divisor;
    const int64_t twice = 2 * (remainder < 0 ? -remainder : remainder);
    const int64_t away = lengthMs < 0 ? -1 : 1;
    if (twice > divisor || (twice == divisor && quotient % 2 != 0))
        return quotient + away;
    return quotient;
}

} // namespace zupfomat
