// 3×3 matrix of single-precision elements for the affine calibration mapping. Elements are
// stored row by row; the third row of an affine map is (0, 0, 1).
#pragma once

#include "driver/touch/matrix2x2.h"

class TNX7_Matrix3x3 {
public:
    // A determinant closer to zero than this is held at ±DetFloor when inverting.
    static constexpr float DetFloor = 0.0001f;

    TNX7_Matrix3x3() = default;

    void Set(float m11, float m12, float m13, float m21, float m22, float m23, float m31,
             float m32, float m33);
    void Identity();
    // Copies src; none gives the identity.
    void Assign(const TNX7_Matrix3x3* src);
    // Determinant of src, in extended precision.
    long double Determinant(const TNX7_Matrix3x3& src) const;
    long double Determinant() const { return Determinant(*this); }
    // this := inverse of src (adjugate ÷ determinant, with the determinant floor).
    void Invert(const TNX7_Matrix3x3& src);
    // this := L × R. Safe when this is L or R.
    void Multiply(const TNX7_Matrix3x3& L, const TNX7_Matrix3x3& R);
    // (y1, y2, y3) = this · (x1, x2, x3); no division by y3.
    void Transform(float x1, float x2, float x3, float& y1, float& y2, float& y3) const;
    // True when all nine elements are finite.
    bool IsFinite() const;

    float m11 = 1.0f, m12 = 0.0f, m13 = 0.0f;
    float m21 = 0.0f, m22 = 1.0f, m23 = 0.0f;
    float m31 = 0.0f, m32 = 0.0f, m33 = 1.0f;
};
