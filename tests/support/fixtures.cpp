#include "support/fixtures.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <system_error>

std::string make_temp_dir()
{
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/drmpi_test_XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) return "";
    return templ;
}

namespace {

// Gives the owner every permission back on dir and on the folders below it
// (links are not followed), so that all of it can be removed.
void allow_removal(const std::filesystem::path& dir)
{
    std::error_code ec;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code type_ec;
        if (!it->is_symlink(type_ec) && it->is_directory(type_ec)) allow_removal(it->path());
    }
}

}  // namespace

TempDir::TempDir(Keep keep) : path_(make_temp_dir()), keep_(keep) {}

TempDir::~TempDir()
{
    if (path_.empty()) return;
    if (keep_ == keep_on_failure && testing::Test::HasFailure()) {
        std::cout << "kept for a look: " << path_ << std::endl;
        return;
    }
    allow_removal(path_);
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void InFreshDirTest::SetUp()
{
    old_cwd_ = std::filesystem::current_path();
    ASSERT_FALSE(dir().empty()) << "no temporary folder could be made";
    ASSERT_EQ(chdir(dir().c_str()), 0) << dir();
}

void InFreshDirTest::TearDown() { std::filesystem::current_path(old_cwd_); }

std::string read_stream(FILE* f)
{
    fflush(f);
    rewind(f);
    std::string s;
    char buf[4096];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, got);
    return s;
}
