// The part of the plane the window shows, at full precision: the centre to as many bits as the depth
// needs, the two extents as binary floating point with an exponent of their own. Pans and zooms
// change it; the float engine's window and the deep renderer's view are both derived from it, so
// that the two renderers always agree on where the picture is.
#pragma once

#include <mpfr.h>

#include <string>

// One MPFR number that copies and frees itself.
class Big_Real {
public:
    explicit Big_Real(mpfr_prec_t Bits = 64);
    Big_Real(const Big_Real& Other);
    Big_Real& operator=(const Big_Real& Other);
    ~Big_Real();

    mpfr_ptr Get() { return Value; }
    mpfr_srcptr Get() const { return Value; }

private:
    mpfr_t Value;
};

struct Float_Window {
    float X_Min, X_Max, Y_Min, Y_Max;
};

enum class Axis { Real, Imaginary };

class Plane_View {
public:
    // Centred on 0 and 4 wide and high: the default window, -2 to 2 on both axes.
    Plane_View();

    // The window between these edges, as the float engine's members give them.
    void Set_Edges(double X_Min, double X_Max, double Y_Min, double Y_Max);

    // The centre moved by these fractions of the width and the height, each part no further out than
    // 10 (where typed centres and position files stop too).
    void Move_By(double Width_Fraction, double Height_Fraction);

    // Both extents multiplied by Factor about the centre, the larger no further out than 16, where
    // nothing of either set is left to see. Refused (false, nothing changed) when already there, or
    // past the deep renderer's widths, under 2^-300000.
    bool Zoom(double Factor);

    // The rows as far apart as the columns of an image of Columns x Rows.
    void Make_Square(int Columns, int Rows);

    // The centre read from decimal texts to every digit typed; false, nothing changed, if either is
    // not a plain decimal.
    bool Set_Centre(const std::string& Re, const std::string& Im);
    // The whole view from decimal texts, every digit kept; false, nothing changed, unless all four are
    // decimals and both extents positive.
    bool Set(const std::string& Re, const std::string& Im, const std::string& Width, const std::string& Height);

    // The float window: each edge the float nearest the exact one.
    Float_Window Edges() const;

    // The centre to enough decimals to put it within a tenth of a pixel of Pixels across the extent,
    // trailing zeros dropped.
    std::string Centre_Text(Axis Along, int Pixels) const;
    // The centre to every bit it holds: what the deep renderer reads.
    std::string Exact_Centre(Axis Along) const;
    // The extent to every bit it holds.
    std::string Exact_Extent(Axis Along) const;
    // The extent (width or height) times Factor, to Digits significant digits.
    std::string Extent_Text(Axis Along, double Factor = 1.0, int Digits = 17) const;
    // The point this fraction of the extent from the centre, to as many decimals as resolve
    // Resolution pixels of Pixels across the extent; trailing zeros dropped for finer than a pixel.
    std::string Point_Text(Axis Along, double Fraction, int Pixels, double Resolution = 1.0) const;

    // log2 of the width, and the width over Other's.
    long Width_Exponent() const;
    double Width_Ratio(const Plane_View& Other) const;
    // Where Other's centre lies from this one's, in fractions of this view's width and height.
    double Offset_Of(const Plane_View& Other, Axis Along) const;

    // Precision in bits of the centre.
    mpfr_prec_t Centre_Bits() const;

private:
    const Big_Real& Centre(Axis Along) const { return Along == Axis::Real ? Centre_Re : Centre_Im; }
    const Big_Real& Extent(Axis Along) const { return Along == Axis::Real ? Width : Height; }
    void Keep_Centre_Precise();

    Big_Real Centre_Re, Centre_Im;
    Big_Real Width, Height;
};
