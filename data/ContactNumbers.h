#pragma once
// What an address book file gives the phone book: names with numbers as they were written, and
// the places that could not be read, each with the line it starts on.

#include <cstddef>
#include <string>
#include <vector>

struct ContactNumber {
    std::string name;   // as written in the file (UTF-8 or 8-bit, as the file has it)
    std::string number; // as written: blanks, "+", brackets and all
    size_t line = 0;    // the line the number is on, counted from 1
};

struct ContactProblem {
    size_t line = 0; // 0: the file as a whole
    std::string text;
};

struct ContactNumbers {
    std::vector<ContactNumber> numbers;
    std::vector<ContactProblem> problems;
};
