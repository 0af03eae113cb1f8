// Cost per call of the math operations on the per-frame path of the scene.
#include <benchmark/benchmark.h>

#include "math/Matrix.h"
#include "math/Quaternion.h"

using namespace trellis;

namespace {

Matrix4 SceneModelView()
{
    Matrix4 rotation, view;
    MatrixRotationY(&rotation, 0.7f);
    const Vector3 eye{5, -25, -135}, at{0, 7, 0}, up{0, 1, 0};
    MatrixLookAtRH(&view, &eye, &at, &up);
    MatrixMultiply(&rotation, &rotation, &view);
    return rotation;
}

void BM_MatrixMultiply(benchmark::State& state)
{
    const Matrix4 a = SceneModelView();
    Matrix4 b;
    MatrixRotationY(&b, 0.3f);
    Matrix4 out;
    for (auto _ : state) {
        MatrixMultiply(&out, &a, &b);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MatrixMultiply);

void BM_MatrixInverseAffine(benchmark::State& state)
{
    const Matrix4 in = SceneModelView();
    Matrix4 out;
    for (auto _ : state) {
        MatrixInverseAffine(&out, &in);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MatrixInverseAffine);

void BM_MatrixLookAtRH(benchmark::State& state)
{
    const Vector3 eye{5, -25, -135}, at{0, 7, 0}, up{0, 1, 0};
    Matrix4 out;
    for (auto _ : state) {
        MatrixLookAtRH(&out, &eye, &at, &up);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MatrixLookAtRH);

void BM_QuaternionSlerp(benchmark::State& state)
{
    const Vector3 axisA{0, 1, 0}, axisB{0.6f, 0, 0.8f};
    Quaternion a, b, out;
    QuaternionRotationAxis(&a, &axisA, 0.4f);
    QuaternionRotationAxis(&b, &axisB, 2.1f);
    for (auto _ : state) {
        QuaternionSlerp(&out, &a, &b, 0.35f);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_QuaternionSlerp);

} // namespace
