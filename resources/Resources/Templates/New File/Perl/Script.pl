#!/usr/bin/perl
use strict;
use warnings;

sub main {
	my @arguments = @_;
	# ...
	return 0;
}

exit main(@ARGV);
