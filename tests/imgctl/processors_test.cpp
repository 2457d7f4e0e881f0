// The CPU quota read from cgroup trees laid out as the kernel mounts them: v2, v1 (also under a
// joined "cpu,cpuacct" mount), hybrid, and a container that sees only its own cgroup.
#include <gtest/gtest.h>

#include <fstream>

#include "processors.h"
#include "test_support.h"

using namespace imgctl;
using imgctl_test::TempFolder;

namespace {

class CgroupQuota : public testing::Test {
protected:
    void write(const std::filesystem::path& file, const std::string& text) {
        const std::filesystem::path path = folder_.path() / file;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    std::optional<double> quota(const std::string& selfCgroup) {
        return cgroupCpuQuota(folder_.path(), selfCgroup);
    }

    TempFolder folder_;
};

TEST_F(CgroupQuota, V2ReadsTheTightestOfTheCgroupAndItsAncestors) {
    write("user.slice/cpu.max", "300000 100000\n");
    write("user.slice/app.slice/cpu.max", "max 100000\n");
    write("user.slice/app.slice/quiblo.scope/cpu.max", "150000 100000\n");
    EXPECT_EQ(quota("0::/user.slice/app.slice/quiblo.scope\n"), 1.5);
    EXPECT_EQ(quota("0::/user.slice/app.slice\n"), 3.0) << "a parent's quota holds below it";

    write("user.slice/cpu.max", "50000 100000\n");
    EXPECT_EQ(quota("0::/user.slice/app.slice/quiblo.scope\n"), 0.5);
}

TEST_F(CgroupQuota, NoQuotaWhereNoneIsSetOrNoneCanBeRead) {
    write("user.slice/cpu.max", "max 100000\n");
    write("cpu/user.slice/cpu.cfs_quota_us", "-1\n");
    write("cpu/user.slice/cpu.cfs_period_us", "100000\n");
    EXPECT_EQ(quota("0::/user.slice\n"), std::nullopt);
    EXPECT_EQ(quota("3:cpu:/user.slice\n"), std::nullopt);
    EXPECT_EQ(quota("0::/nowhere\n"), std::nullopt);
    EXPECT_EQ(quota(""), std::nullopt);
    EXPECT_EQ(quota("not a cgroup line\n::\n0:\n"), std::nullopt);

    write("broken/cpu.max", "lots 0\n");
    write("trailing/cpu.max", "150000x 100000\n");
    write("zero/cpu.max", "100000 0\n");
    EXPECT_EQ(quota("0::/broken\n"), std::nullopt);
    EXPECT_EQ(quota("0::/trailing\n"), std::nullopt);
    EXPECT_EQ(quota("0::/zero\n"), std::nullopt);
}

TEST_F(CgroupQuota, V1ReadsTheCpuControllersMountUnderEitherName) {
    write("cpu,cpuacct/docker/abc/cpu.cfs_quota_us", "200000\n");
    write("cpu,cpuacct/docker/abc/cpu.cfs_period_us", "100000\n");
    const std::string self = "12:memory:/docker/abc\n4:cpu,cpuacct:/docker/abc\n1:name=systemd:/\n";
    EXPECT_EQ(quota(self), 2.0);

    TempFolder plain;
    std::filesystem::create_directories(plain.path() / "cpu/batch");
    std::ofstream(plain.path() / "cpu/batch/cpu.cfs_quota_us") << "25000";
    std::ofstream(plain.path() / "cpu/batch/cpu.cfs_period_us") << "100000";
    EXPECT_EQ(cgroupCpuQuota(plain.path(), "1:cpu:/batch\n0::/\n"), 0.25);
    EXPECT_EQ(cgroupCpuQuota(plain.path(), "1:cpuacct:/batch\n"), std::nullopt)
        << "only the cpu controller sets a quota";
}

// A container's /proc/self/cgroup names its cgroup on the host, which its own mount does not
// hold: the mount's root is that cgroup.
TEST_F(CgroupQuota, AContainerFindsItsQuotaAtItsMountsRoot) {
    write("cpu.max", "100000 100000\n");
    EXPECT_EQ(quota("0::/system.slice/docker-abc.scope\n"), 1.0);

    write("cpu/cpu.cfs_quota_us", "400000\n");
    write("cpu/cpu.cfs_period_us", "100000\n");
    EXPECT_EQ(quota("5:cpu:/docker/abc\n"), 4.0);
}

TEST_F(CgroupQuota, HybridSystemsReadTheUnifiedMountAndV1) {
    write("unified/app/cpu.max", "200000 100000\n");
    write("cpu/app/cpu.cfs_quota_us", "100000\n");
    write("cpu/app/cpu.cfs_period_us", "100000\n");
    EXPECT_EQ(quota("0::/app\n"), 2.0);
    EXPECT_EQ(quota("3:cpu:/app\n0::/app\n"), 1.0) << "the tighter of the two";
}

}  // namespace
