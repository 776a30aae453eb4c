#pragma once
// Thrown by CFileReader when a seek or read fails at the system level. Reaching
// the end of the file is not an error: Read then just returns fewer bytes.
//
// A value; any thread.
#include <stdexcept>
#include <string>

class CFileException : public std::runtime_error {
public:
    CFileException(const std::string& what, int nErrno) : std::runtime_error(what), m_nErrno(nErrno) {}
    int m_nErrno; // errno of the failed call
};
