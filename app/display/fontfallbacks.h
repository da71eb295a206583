#ifndef FONTFALLBACKS_H
#define FONTFALLBACKS_H

// The windows name the fonts of the Windows desktop ("PingFang SC", "Consolas",
// "黑体", "SimSun", "Arial"). Where a family is missing, Qt uses the families
// registered here instead, so Chinese text and the typed code keep a fitting
// look on machines without those fonts. Families that exist are not affected.
void installFontFallbacks();

#endif // FONTFALLBACKS_H
