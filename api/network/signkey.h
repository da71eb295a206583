// The key appended to every request's digest input. The cast management
// server holds the same key; the test server and the tests take it from here.
#ifndef SIGNKEY_H
#define SIGNKEY_H

constexpr char requestSignKey[] = "5f0c2a9e7d41b3c86e2f90a1d4c7b358";

#endif // SIGNKEY_H
