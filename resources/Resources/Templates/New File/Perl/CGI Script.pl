#!/usr/bin/perl
use strict;
use warnings;
use CGI qw(:standard escapeHTML);

my $name = param('name') // 'world';

print header(-type => 'text/html', -charset => 'utf-8');
print start_html(-title => 'Untitled');
print p('Hello, ' . escapeHTML($name) . '!');
print end_html;
