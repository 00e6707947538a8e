#pragma once

#include <QString>

#include "procmail/recipe_generator.h"

// Generates ".procmailrc" in the folder of the MDL file at MdlPath. Does nothing (and returns
// false) when the path has no folder part or the file does not exist. A recipe with a checking
// error is still written, headed by the error marker. Returns true when a recipe file was written;
// Completed, when given, tells whether it is free of errors.
bool GenerateRecipeAsFile(const QString& mdlPath, const RecipeGenerator::MessageSink& sink,
                          bool* completed = nullptr);

// A sink that shows each message through the person's interface: a dialog with an OK button.
RecipeGenerator::MessageSink MessagesTo(UserInterface& ui);

// The recipe's path for an MDL file: its folder + ".procmailrc"; empty without a folder part.
QString RecipePathFor(const QString& mdlPath);
