/*
 * The download speeds: the bit rate that each value of Mx40Settings.Speed stands for, one table
 * for the engine and for every program that offers the speeds (the Settings dialog's list, the
 * command line's words, the unit record's numbers).
 *
 * MX40_SPEEDS(X) expands X(rate) once per speed, in index order: the first is index 0. A rate is
 * a plain decimal literal (no suffix), so that a program may both use it as a number and turn it
 * into its words by the preprocessor's # ("57600"). Compiles as C and as C++.
 */
#ifndef DEKVANTO_MX40_SPEEDS_H
#define DEKVANTO_MX40_SPEEDS_H

#define MX40_SPEEDS(X) X(57600) X(115200) X(230400) X(460800)

#endif /* DEKVANTO_MX40_SPEEDS_H */
