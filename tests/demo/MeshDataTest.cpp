#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "demo/MeshData.h"

namespace {

// The record's words come in the documented order, the same in both forms.
static_assert(offsetof(MeshData, vertexCount) == 0);
static_assert(offsetof(MeshData, faceCount) == 4);
static_assert(offsetof(MeshData, reserved0) == 8);
static_assert(offsetof(MeshData, flags) == 12);
static_assert(offsetof(MeshData, reserved1) == 16);
static_assert(offsetof(MeshData, center) == 20);
static_assert(offsetof(MeshData, positions) < offsetof(MeshData, texCoords));
static_assert(offsetof(MeshData, texCoords) < offsetof(MeshData, normals));
static_assert(offsetof(MeshData, normals) < offsetof(MeshData, interleaved));
static_assert(offsetof(MeshData, interleaved) < offsetof(MeshData, reserved2));
static_assert(offsetof(MeshData, reserved2) < offsetof(MeshData, indices));
static_assert(offsetof(MeshData, indices) < offsetof(MeshData, reserved3));
static_assert(sizeof(MeshData) == sizeof(MeshDataFixed));

// One triangle with every optional array present.
struct Triangle {
    float positions[9] = {1.5f, -1.5f, -0.00001f, -1.00001f, 0.0f, 2.0f, 0.25f, -0.25f, 100.0f};
    float texCoords[6] = {0.0f, 1.0f, 0.5f, 0.5f, 1.0f, 0.0f};
    float normals[9] = {0, 0, 1, 0, 1, 0, 1, 0, 0};
    std::vector<float> interleaved;
    uint16_t indices[3] = {0, 1, 2};
    MeshData mesh{};

    explicit Triangle(uint32_t flags)
    {
        mesh.vertexCount = 3;
        mesh.faceCount = 1;
        mesh.reserved0 = 7;
        mesh.flags = flags;
        mesh.reserved1 = -1;
        mesh.center[0] = 1.5f;
        mesh.center[1] = -1.5f;
        mesh.center[2] = 0.5f;
        mesh.positions = positions;
        mesh.texCoords = texCoords;
        mesh.normals = normals;
        interleaved.resize(InterleavedValueCount(flags, 3));
        for (size_t i = 0; i < interleaved.size(); ++i) {
            interleaved[i] = static_cast<float>(i) * 0.5f;
        }
        mesh.interleaved = interleaved.data();
        mesh.reserved2[1] = 11;
        mesh.indices = indices;
        mesh.reserved3[0] = 3;
        mesh.reserved3[7] = 9;
    }
};

// The fixed-point copy of a mesh, freed with the library's own call.
using FixedCopy = std::unique_ptr<MeshDataFixed, void (*)(MeshDataFixed*)>;
FixedCopy ToFixed(const MeshData& mesh)
{
    return FixedCopy(MeshToFixed(&mesh), MeshFreeFixed);
}

TEST(MeshToFixed, TruncatesValuesTowardZeroAndCopiesTheOtherWordsUnchanged)
{
    Triangle source(0x20006);
    const FixedCopy fixed = ToFixed(source.mesh);
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ((std::vector<int32_t>{98304, -98304, 0, -65536, 0, 131072, 16384, -16384, 6553600}),
              std::vector<int32_t>(fixed->positions, fixed->positions + 9));
    EXPECT_EQ((std::vector<int32_t>{98304, -98304, 32768}), std::vector<int32_t>(fixed->center, fixed->center + 3));
    EXPECT_EQ(65536, fixed->texCoords[1]);
    EXPECT_EQ(32768, fixed->texCoords[2]);
    EXPECT_EQ(65536, fixed->normals[2]);
    EXPECT_EQ(65536, fixed->normals[6]);
    const MeshDataFixed& copy = *fixed;
    EXPECT_EQ((std::vector<int64_t>{3, 1, 7, 0x20006, -1, 0, 11, 3, 9}),
              (std::vector<int64_t>{copy.vertexCount, copy.faceCount, copy.reserved0, copy.flags, copy.reserved1,
                                    copy.reserved2[0], copy.reserved2[1], copy.reserved3[0], copy.reserved3[7]}));
}

TEST(InterleavedValueCount, FollowsTheTwoLowFlagBits)
{
    for (const auto& [flags, perVertex] : {std::pair{0x20006u, 8u}, {1u, 8u}, {3u, 11u}, {0u, 3u}}) {
        EXPECT_EQ(perVertex * 5, InterleavedValueCount(flags, 5)) << "flags " << flags;
    }
    EXPECT_EQ(0u, InterleavedValueCount(3, 0));
    // No wrap-around for the largest count.
    EXPECT_EQ(11ull * 0xFFFFFFFFull, InterleavedValueCount(3, 0xFFFFFFFFu));
}

TEST(MeshToFixed, ConvertsTheWholeInterleavedArray)
{
    for (uint32_t flags : {0x20006u, 1u, 3u, 0u}) {
        Triangle source(flags);
        const FixedCopy fixed = ToFixed(source.mesh);
        ASSERT_NE(nullptr, fixed);
        ASSERT_NE(nullptr, fixed->interleaved);
        // ASan reports any read past the allocation; the last value must be there.
        const size_t last = source.interleaved.size() - 1;
        EXPECT_EQ(static_cast<int32_t>(last * 32768), fixed->interleaved[last]) << "flags " << flags;
    }
}

// No vertices give no arrays at all; arrays the source lacks stay absent.
TEST(MeshToFixed, ArraysWithNothingToHoldStayAbsent)
{
    Triangle empty(0x20006), partial(0x20006);
    empty.mesh.vertexCount = 0;
    partial.mesh.texCoords = partial.mesh.normals = partial.mesh.interleaved = nullptr;
    for (const auto& [source, hasPositions] : {std::pair{&empty.mesh, false}, {&partial.mesh, true}}) {
        SCOPED_TRACE(hasPositions ? "arrays left out" : "no vertices");
        const FixedCopy fixed = ToFixed(*source);
        ASSERT_NE(nullptr, fixed);
        EXPECT_EQ(source->vertexCount, fixed->vertexCount);
        EXPECT_EQ(hasPositions, fixed->positions != nullptr);
        EXPECT_EQ(nullptr, fixed->texCoords);
        EXPECT_EQ(nullptr, fixed->normals);
        EXPECT_EQ(nullptr, fixed->interleaved);
    }
    EXPECT_EQ(nullptr, MeshToFixed(nullptr));
    MeshFreeFixed(nullptr);
}

TEST(MeshToFixed, CopiesShareTheIndexArrayAndFreeingLeavesItIntact)
{
    Triangle source(0x20006);
    MeshDataFixed* first = MeshToFixed(&source.mesh);
    MeshDataFixed* second = MeshToFixed(&source.mesh);
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(source.indices, first->indices);
    EXPECT_EQ(first->indices, second->indices);
    EXPECT_NE(first->positions, second->positions);
    MeshFreeFixed(first);
    // The shared array is still there and unchanged (ASan would catch a free).
    EXPECT_EQ(1, second->indices[1]);
    EXPECT_EQ(2, source.indices[2]);
    MeshFreeFixed(second);
    EXPECT_EQ(0, source.indices[0]);
    EXPECT_EQ(1.5f, source.positions[0]);
}

}  // namespace
