// libBrackenrow.so: the tree model, its node records and their property-list form.
