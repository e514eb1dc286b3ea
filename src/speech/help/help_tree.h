#pragma once

#include "base/exception.h"

#include <QString>

class QTreeWidget;

// The topic tree file: one node per line; every blank or tab at the start of a line puts
// the node one level deeper. A line more than one level deeper than the one before it
// cannot be placed: loading stops there with this error, keeping the nodes read so far.
class EHelpTreeError : public ETalvinError
{
public:
    using ETalvinError::ETalvinError;
};

// Adds the nodes of the tree text to the (cleared) tree. Empty lines are skipped.
void LoadHelpTree(QTreeWidget *tree, const QString &text);
