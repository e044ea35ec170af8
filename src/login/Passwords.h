#pragma once

#include <QString>

// Passwords as the login tables keep them: a salted hash from libsodium's password hashing
// (Argon2id at the interactive limits), never the password itself. Rows written before hashing
// may still hold the plain text; such a row is accepted once and then rewritten as a hash.

enum class PasswordCheck {
  Refused,
  Accepted,
  // Accepted, but the stored value is plain text or a hash of older limits: store
  // HashPassword(typed) in its place.
  AcceptedRewrite,
};

// The stored form of a password; empty when no hash could be made (out of memory).
QString HashPassword(const QString& password);

// Whether a stored value is a hash rather than the plain text of an older row.
bool IsPasswordHash(const QString& stored);

// Compares a typed password with a stored value in constant time (a hash is verified, plain
// text compared byte by byte over equal lengths).
PasswordCheck CheckPassword(const QString& stored, const QString& typed);
