// What the tests share around the code under test: the radix state that the
// arithmetic reads from globals, fresh temporary folders (and running in one),
// and reading back what was written to a stream.
//
// RadixScope, RadixTest and RadixTestWithParam are inline, for the programs
// that link the fault-injection library instead of drmpi_test_support; the
// rest is defined in fixtures.cpp.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>

#include "longarith/longnum.h"

// Saves g_radix and g_carry_mode, sets them when given a radix (the carry mode
// balanced, -1, unless given too), and puts the saved values back when it goes.
class RadixScope {
public:
    RadixScope() = default;
    explicit RadixScope(double radix, int carry_mode = -1)
    {
        g_radix = radix;
        g_carry_mode = carry_mode;
    }
    ~RadixScope()
    {
        g_radix = saved_radix_;
        g_carry_mode = saved_mode_;
    }
    RadixScope(const RadixScope&) = delete;
    RadixScope& operator=(const RadixScope&) = delete;

private:
    double saved_radix_ = g_radix;
    int saved_mode_ = g_carry_mode;
};

// A test free to change the radix and the carry mode: both are put back after it.
class RadixTest : public testing::Test {
protected:
    static void use_radix(double radix, int carry_mode = -1)
    {
        g_radix = radix;
        g_carry_mode = carry_mode;
    }

private:
    RadixScope saved_;
};

template <class T>
class RadixTestWithParam : public RadixTest, public testing::WithParamInterface<T> {};

// A new empty folder under $TMPDIR (or /tmp), left for the caller to remove;
// "" when none could be made.
std::string make_temp_dir();

// A new empty folder under $TMPDIR (or /tmp), removed with all it holds when
// the object goes, also where a test took away write permission on it or on a
// folder inside it. path() is "" when no folder could be made. With
// keep_on_failure the folder stays, and its path is printed, when the test
// running has failed, for a look at what the run left.
class TempDir {
public:
    enum Keep { remove_always, keep_on_failure };

    explicit TempDir(Keep keep = remove_always);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    Keep keep_;
};

// A test that makes fresh folders (each drmpi run in its own, say) and has
// them removed when it is over.
class TempDirsTest : public testing::Test {
protected:
    std::string new_dir() { return dirs_.emplace_back().path(); }

private:
    std::deque<TempDir> dirs_;
};

// A test that runs in a fresh current directory: SetUp changes into it,
// TearDown changes back to the directory it left and the folder is removed
// after; the radix state is put back too. A subclass with an output file to
// discard does that in its TearDown before it calls this one.
class InFreshDirTest : public RadixTest {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& dir() const { return dir_.path(); }

private:
    TempDir dir_;
    std::filesystem::path old_cwd_;
};

// Everything written to f: flushes it, rewinds it and reads it to the end.
std::string read_stream(FILE* f);
