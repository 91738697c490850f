#include "driver/touch/matrix3x3.h"

#include <cmath>
#include <initializer_list>

namespace {
using D2 = TNX7_Matrix2x2;
}  // namespace

void TNX7_Matrix3x3::Set(float a11, float a12, float a13, float a21, float a22, float a23,
                         float a31, float a32, float a33)
{
    m11 = a11; m12 = a12; m13 = a13;
    m21 = a21; m22 = a22; m23 = a23;
    m31 = a31; m32 = a32; m33 = a33;
}

void TNX7_Matrix3x3::Identity()
{
    Set(1, 0, 0, 0, 1, 0, 0, 0, 1);
}

void TNX7_Matrix3x3::Assign(const TNX7_Matrix3x3* src)
{
    if (!src) {
        Identity();
        return;
    }
    Set(src->m11, src->m12, src->m13, src->m21, src->m22, src->m23, src->m31, src->m32,
        src->m33);
}

long double TNX7_Matrix3x3::Determinant(const TNX7_Matrix3x3& s) const
{
    return s.m11 * D2::Determinant(s.m22, s.m23, s.m32, s.m33)
         - s.m12 * D2::Determinant(s.m21, s.m23, s.m31, s.m33)
         + s.m13 * D2::Determinant(s.m21, s.m22, s.m31, s.m32);
}

void TNX7_Matrix3x3::Invert(const TNX7_Matrix3x3& src)
{
    float det = static_cast<float>(Determinant(src));
    // A nearly flat triangle would divide by almost nothing; hold the determinant off zero so
    // the map turns steep instead of infinite.
    if (det > -DetFloor && det < DetFloor)
        det = det >= 0.0f ? DetFloor : -DetFloor;

    const TNX7_Matrix3x3 s = src;  // src may be this
    auto cof = [det](float p1, float p2, float p3, float p4) {
        return static_cast<float>(D2::Determinant(p1, p2, p3, p4)) / det;
    };
    Set(cof(s.m22, s.m23, s.m32, s.m33), cof(s.m13, s.m12, s.m33, s.m32),
        cof(s.m12, s.m13, s.m22, s.m23),
        cof(s.m23, s.m21, s.m33, s.m31), cof(s.m11, s.m13, s.m31, s.m33),
        cof(s.m13, s.m11, s.m23, s.m21),
        cof(s.m21, s.m22, s.m31, s.m32), cof(s.m12, s.m11, s.m32, s.m31),
        cof(s.m11, s.m12, s.m21, s.m22));
}

void TNX7_Matrix3x3::Multiply(const TNX7_Matrix3x3& L, const TNX7_Matrix3x3& R)
{
    const TNX7_Matrix3x3 l = L, r = R;
    auto dot = [](float a1, float a2, float a3, float b1, float b2, float b3) {
        return static_cast<float>(static_cast<long double>(a1) * b1 +
                                  static_cast<long double>(a2) * b2 +
                                  static_cast<long double>(a3) * b3);
    };
    Set(dot(l.m11, l.m12, l.m13, r.m11, r.m21, r.m31), dot(l.m11, l.m12, l.m13, r.m12, r.m22, r.m32),
        dot(l.m11, l.m12, l.m13, r.m13, r.m23, r.m33),
        dot(l.m21, l.m22, l.m23, r.m11, r.m21, r.m31), dot(l.m21, l.m22, l.m23, r.m12, r.m22, r.m32),
        dot(l.m21, l.m22, l.m23, r.m13, r.m23, r.m33),
        dot(l.m31, l.m32, l.m33, r.m11, r.m21, r.m31), dot(l.m31, l.m32, l.m33, r.m12, r.m22, r.m32),
        dot(l.m31, l.m32, l.m33, r.m13, r.m23, r.m33));
}

void TNX7_Matrix3x3::Transform(float x1, float x2, float x3, float& y1, float& y2, float& y3) const
{
    auto dot = [x1, x2, x3](float a1, float a2, float a3) {
        return static_cast<float>(static_cast<long double>(a1) * x1 +
                                  static_cast<long double>(a2) * x2 +
                                  static_cast<long double>(a3) * x3);
    };
    const float r1 = dot(m11, m12, m13), r2 = dot(m21, m22, m23), r3 = dot(m31, m32, m33);
    y1 = r1;
    y2 = r2;
    y3 = r3;
}

bool TNX7_Matrix3x3::IsFinite() const
{
    for (float v : {m11, m12, m13, m21, m22, m23, m31, m32, m33})
        if (!std::isfinite(v))
            return false;
    return true;
}
