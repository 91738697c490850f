// 2×2 matrix of single-precision elements; its determinant is the building block of the 3×3
// cofactors, so it is returned in extended precision.
#pragma once

class TNX7_Matrix2x2 {
public:
    TNX7_Matrix2x2() = default;

    void Set(float a, float b, float c, float d);
    void Identity();
    // p1 × p4 − p2 × p3, in extended precision.
    static long double Determinant(float p1, float p2, float p3, float p4);
    long double Determinant() const { return Determinant(a, b, c, d); }

    float a = 1.0f, b = 0.0f;  // first row
    float c = 0.0f, d = 1.0f;  // second row
};
