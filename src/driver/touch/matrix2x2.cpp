#include "driver/touch/matrix2x2.h"

void TNX7_Matrix2x2::Set(float a_, float b_, float c_, float d_)
{
    a = a_;
    b = b_;
    c = c_;
    d = d_;
}

void TNX7_Matrix2x2::Identity()
{
    Set(1.0f, 0.0f, 0.0f, 1.0f);
}

long double TNX7_Matrix2x2::Determinant(float p1, float p2, float p3, float p4)
{
    return static_cast<long double>(p1) * p4 - static_cast<long double>(p2) * p3;
}
